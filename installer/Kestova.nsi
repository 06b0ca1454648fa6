; Kestova Screen Saver setup: the screen saver, the PowerPoint add-in and its window support
; library, 64-bit beside 32-bit (for 32-bit Office). Per user by default, so that no administrator
; rights are needed; machine-wide for administrators (/ALLUSERS or the options page).
;
; makensis -DVERSION=1.1.0 -DBIN64=<64-bit bin> -DBIN32=<32-bit bin> -DOUTFILE=<setup.exe> Kestova.nsi
;
; Command line of the setup program:
;   /S                  silent
;   /ALLUSERS           for every user of the computer (needs administrator rights; silent
;                       without them: exit code 740)
;   /CURRENTUSER        for the current user only (the default; also a standard user's default
;                       beside an installation for every user, which only an administrator
;                       can upgrade)
;   /SETSCREENSAVER=1|0 make Kestova the current user's screen saver (silent default 0, else 1)
;   /FORCE              silent, go ahead while PowerPoint runs (else exit code 32)
;   /D=<folder>         installation folder (last, unquoted)
; Refused while the Windows Installer package is installed (exit code 1638): one installation
; per machine.
; Command line of Uninstall.exe (for an installation for every user it starts itself again with
; administrator rights, adding /ELEVATED; refused: exit code 740):
;   /S                  silent
;   /REMOVESETTINGS=1   also remove the user's settings and run journal (kept by default)
;   /FORCE              silent, go ahead while PowerPoint runs (else exit code 32)

Unicode true
Target amd64-unicode
ManifestDPIAware true
; Elevation is the user's choice (Run as administrator), never forced: most installs are per user.
RequestExecutionLevel user
SetCompressor /SOLID lzma

!macro Required SYMBOL
  !ifndef ${SYMBOL}
    !error "define ${SYMBOL}: VERSION, BIN64, BIN32 and OUTFILE come from ./dev build"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required BIN64
!insertmacro Required BIN32
!insertmacro Required OUTFILE

!define PRODUCT "Kestova Screen Saver"
!define PUBLISHER "Kestova"
!define PRODUCT_PAGE "https://www.kestova.com/screensaver/screensaver.html"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\KestovaScreenSaver"
!define SETTINGS_KEY "Software\Kestova\Kestova Screen Saver"
; HKLM: the folder of the Windows Installer package's installation, while it is installed.
!define PACKAGE_KEY "Software\Kestova\Kestova Screen Saver"
; The Application log's source of Corvane's events: only an installation for every user may
; register it (a per-user one's events still reach the log, without their message text).
!define EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Kestova Screen Saver"
!define SCREENSAVER_ICON "${__FILEDIR__}/../screensaver/win/corvane.ico"

; The version resource needs four numbers; the project may give fewer.
!searchparse /noerrors "${VERSION}.0.0.0" "" VER_1 "." VER_2 "." VER_3 "." VER_4 "."

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VER_1}.${VER_2}.${VER_3}.${VER_4}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "KestovaSetup.exe"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright © 2023–2025 ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"
!include "WinMessages.nsh"

Var AllUsers         ; 1: for every user (HKLM, Program Files), 0: for the current user
Var DirGiven         ; 1: the folder came from /D=, so a change of scope leaves it alone
Var SetScreenSaver   ; 1: make Kestova the current user's screen saver
Var RemoveSettings   ; uninstaller: 1 removes the user's settings too

!include "${__FILEDIR__}/install_scope.nsh"
!include "${__FILEDIR__}/addin_registration.nsh"
!include "${__FILEDIR__}/screen_saver.nsh"
!include "${__FILEDIR__}/option_pages.nsh"

!define MUI_ICON "${SCREENSAVER_ICON}"
!define MUI_UNICON "${SCREENSAVER_ICON}"
!define MUI_ABORTWARNING

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION}, a screen saver that shows \
    PowerPoint presentations full-screen, a different one on each monitor if you wish.$\r$\n$\r$\n\
    It needs Microsoft PowerPoint 2000 or later. Please close PowerPoint before you continue.$\r$\n\
    $\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
Page custom OptionsPage OptionsPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "&Choose the presentations now"
!define MUI_FINISHPAGE_RUN_FUNCTION OpenSettings
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.OptionsPage un.OptionsPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; ---------------------------------------------------------------------------------------------
; Installer

Function .onInit
    SetRegView 64
    StrCpy $DirGiven 0
    ${If} $INSTDIR != ""
        StrCpy $DirGiven 1
    ${EndIf}
    Call ChooseScope
    Call ApplyScope
    Call RefuseBesideThePackage
    ${If} ${Silent}
    ${AndIf} $AllUsers == 1
        Call IsAdmin
        Pop $0
        ${If} $0 != 1
            SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
            Quit
        ${EndIf}
    ${EndIf}
    Call WaitForPowerPointToClose
FunctionEnd

; One installation per machine: beside the package's, one for everyone would take over its
; records (and its removal would take them away), and a user's own would shadow it for that user.
Function RefuseBesideThePackage
    ReadRegStr $0 HKLM "${PACKAGE_KEY}" "InstallDir"
    ${If} $0 != ""
        MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} is already installed for every user of this \
            computer by its Windows Installer package (KestovaSetup.msi), in $0. Setup changed \
            nothing: use that installation, or ask your administrator to remove the package \
            first." /SD IDOK
        SetErrorLevel 1638 ; ERROR_PRODUCT_VERSION: another version of this product is installed
        Quit
    ${EndIf}
FunctionEnd

; As the shell's Configure command does: no argument.
Function OpenSettings
    Exec '"$INSTDIR\Corvane.scr"'
FunctionEnd

Section "Install"
    SetOutPath "$INSTDIR"
    File "${BIN64}/Corvane.scr"
    File "${BIN64}/Paxendo.dll"
    File "${BIN64}/Tovrin.dll"
    ; 32-bit Office loads only 32-bit add-ins: these sit beside the 64-bit ones.
    SetOutPath "$INSTDIR\x86"
    File "${BIN32}/Paxendo.dll"
    File "${BIN32}/Tovrin.dll"
    ; The administrative template, for the administrator's central store or Intune.
    SetOutPath "$INSTDIR\PolicyDefinitions"
    File "${BIN64}/PolicyDefinitions/KestovaScreenSaver.admx"
    SetOutPath "$INSTDIR\PolicyDefinitions\en-US"
    File "${BIN64}/PolicyDefinitions/en-US/KestovaScreenSaver.adml"
    SetOutPath "$INSTDIR"

    ; The entry comes first: whatever fails later, the user can remove what is already there.
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "URLInfoAbout" "${PRODUCT_PAGE}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Corvane.scr,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

    Call RegisterAddin
    ${If} $AllUsers == 1
        WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\Corvane.scr"
        WriteRegExpandStr HKLM "${EVENT_SOURCE_KEY}" "CategoryMessageFile" "$INSTDIR\Corvane.scr"
        WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "CategoryCount" 3
        ; Error, warning and information
        WriteRegDWORD HKLM "${EVENT_SOURCE_KEY}" "TypesSupported" 7
    ${EndIf}
    ${If} $SetScreenSaver == 1
        Call MakeCurrentScreenSaver
    ${EndIf}
SectionEnd

; ---------------------------------------------------------------------------------------------
; Uninstaller

Function un.onInit
    SetRegView 64
    Call un.ScopeOfThisInstall
    ${If} $AllUsers == 1
        Call un.IsAdmin
        Pop $0
        ${If} $0 != 1
            Call un.RunElevated
        ${EndIf}
    ${EndIf}
    StrCpy $RemoveSettings 0
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/REMOVESETTINGS=" $R1
    ${IfNot} ${Errors}
    ${AndIf} $R1 == 1
        StrCpy $RemoveSettings 1
    ${EndIf}
    Call un.WaitForPowerPointToClose
FunctionEnd

; A machine-wide installation is removed with administrator rights: the uninstaller starts
; itself again elevated (Windows asks for consent or an administrator's password, also for /S)
; and this copy ends. Refused, it ends with ERROR_ELEVATION_REQUIRED.
Function un.RunElevated
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ELEVATED" $R1
    ${If} ${Errors}
        ; The elevated copy must not take itself for a standard user again.
        System::Call 'kernel32::SetEnvironmentVariable(t "KESTOVA_SETUP_STANDARD_USER", p 0)'
        ClearErrors
        ExecShell "runas" "$INSTDIR\Uninstall.exe" "$R0 /ELEVATED"
        ${IfNot} ${Errors}
            Quit
        ${EndIf}
    ${EndIf}
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} was installed for every user of this computer. \
        Removing it needs administrator rights: start the uninstaller with Run as \
        administrator." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
FunctionEnd

Section "Uninstall"
    ; Before the files go: telling our screen saver apart needs Corvane.scr's short name.
    Call un.ForgetScreenSaver
    Call un.UnregisterAddin
    ${If} $RemoveSettings == 1
        DeleteRegKey HKCU "${SETTINGS_KEY}"
        DeleteRegKey /ifnosubkeys /ifnovalues HKCU "Software\Kestova"
        ; The run journal is this user's too (whatever the installation's scope).
        SetShellVarContext current
        RMDir /r "$LOCALAPPDATA\Kestova\${PRODUCT}"
        RMDir "$LOCALAPPDATA\Kestova"
        ${If} $AllUsers == 1
            SetShellVarContext all
        ${EndIf}
    ${EndIf}

    ; A library still loaded by a running PowerPoint goes at the next restart.
    Delete /REBOOTOK "$INSTDIR\x86\Paxendo.dll"
    Delete /REBOOTOK "$INSTDIR\x86\Tovrin.dll"
    RMDir /REBOOTOK "$INSTDIR\x86"
    Delete /REBOOTOK "$INSTDIR\Paxendo.dll"
    Delete /REBOOTOK "$INSTDIR\Tovrin.dll"
    Delete /REBOOTOK "$INSTDIR\Corvane.scr"
    Delete "$INSTDIR\PolicyDefinitions\en-US\KestovaScreenSaver.adml"
    RMDir "$INSTDIR\PolicyDefinitions\en-US"
    Delete "$INSTDIR\PolicyDefinitions\KestovaScreenSaver.admx"
    RMDir "$INSTDIR\PolicyDefinitions"
    ${If} $AllUsers == 1
        DeleteRegKey HKLM "${EVENT_SOURCE_KEY}"
    ${EndIf}
    Delete "$INSTDIR\Uninstall.exe"
    ; Only if empty: files the user put there stay.
    RMDir /REBOOTOK "$INSTDIR"

    ; Last: while the entry exists, the uninstaller can be run again.
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
    ${If} $AllUsers != 1
        DeleteRegKey /ifnosubkeys /ifnovalues HKCU \
            "Software\Microsoft\Windows\CurrentVersion\Uninstall"
    ${EndIf}
SectionEnd
