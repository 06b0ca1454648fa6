; Who the installation is for. Per user: HKCU and %LOCALAPPDATA%\Programs, no administrator rights.
; Machine-wide: HKLM and Program Files. SHCTX (HKCU or HKLM) follows SetShellVarContext, so the
; records of both scopes are written by the same instructions.

!macro DefineIsAdmin UN
; Pushes 1 when this process has administrator rights (an elevated token), else 0.
; KESTOVA_SETUP_STANDARD_USER=1 in the environment makes an administrator's run behave as a
; standard user's (it can only take rights away): how the setup's tests see that side.
Function ${UN}IsAdmin
    Push $0
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        StrCpy $0 1
    ${Else}
        StrCpy $0 0
    ${EndIf}
    Push $1
    ReadEnvStr $1 KESTOVA_SETUP_STANDARD_USER
    ${If} $1 == 1
        StrCpy $0 0
    ${EndIf}
    Pop $1
    Exch $0
FunctionEnd
!macroend
!insertmacro DefineIsAdmin ""
!insertmacro DefineIsAdmin "un."

; The scope from the command line, else that of an earlier installation (an upgrade stays where
; it was; a standard user, who cannot upgrade the machine's, gets one of their own), else per
; user; and whether to change the screen saver.
Function ChooseScope
    StrCpy $AllUsers 0
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} $1 == ""
        Call IsAdmin
        Pop $AllUsers
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CURRENTUSER" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 0
    ${EndIf}

    ; Someone running the setup by hand wants the screen saver; a silent deployment changes the
    ; user's screen saver only when asked to.
    ${If} ${Silent}
        StrCpy $SetScreenSaver 0
    ${Else}
        StrCpy $SetScreenSaver 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/SETSCREENSAVER=" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == 1
            StrCpy $SetScreenSaver 1
        ${ElseIf} $R1 == 0
            StrCpy $SetScreenSaver 0
        ${EndIf}
    ${EndIf}
FunctionEnd

; Registry root and default folder of the chosen scope. A folder given with /D= is kept.
Function ApplyScope
    ${If} $AllUsers == 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
    ${If} $DirGiven != 1
        ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $0 == ""
            ${If} $AllUsers == 1
                StrCpy $0 "$PROGRAMFILES64\${PRODUCT}"
            ${Else}
                StrCpy $0 "$LOCALAPPDATA\Programs\${PRODUCT}"
            ${EndIf}
        ${EndIf}
        StrCpy $INSTDIR $0
    ${EndIf}
FunctionEnd

; The uninstaller removes a machine-wide installation when the machine's entry names its folder.
Function un.ScopeOfThisInstall
    StrCpy $AllUsers 0
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} $0 == $INSTDIR
        StrCpy $AllUsers 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd
