; The current user's screen saver: Windows starts the program named by SCRNSAVE.EXE. The setup
; remembers the one it replaces, and the uninstaller gives it back.

!define DESKTOP_KEY "Control Panel\Desktop"
; Per user, ours: the screen saver that was chosen before the setup made Kestova the one.
!define SETUP_STATE_KEY "Software\Kestova\Setup"

!macro DefineIsOurScreenSaver UN
; Pushes 1 when $0 (a SCRNSAVE.EXE value) names this installation's Corvane.scr by its long or
; short name, else 0. Must run while Corvane.scr exists.
Function ${UN}IsOurScreenSaver
    Push $1
    Push $2
    Push $3
    StrCpy $3 0
    ${If} $0 == "$INSTDIR\Corvane.scr"
        StrCpy $3 1
    ${ElseIf} $0 != ""
        GetFullPathName /SHORT $1 "$INSTDIR\Corvane.scr"
        GetFullPathName /SHORT $2 $0
        ; Both empty when the files are gone: that proves nothing.
        ${If} $1 != ""
        ${AndIf} $1 == $2
            StrCpy $3 1
        ${EndIf}
    ${EndIf}
    Pop $2
    Pop $1
    Exch $3
FunctionEnd
!macroend
!insertmacro DefineIsOurScreenSaver ""
!insertmacro DefineIsOurScreenSaver "un."

; Windows itself stores the short name: a path with blanks in it is not quoted when the screen
; saver is started. (Without 8.3 names the long path is all there is.)
Function MakeCurrentScreenSaver
    ; The one in use before; an upgrade keeps what the first install remembered.
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    Call IsOurScreenSaver
    Pop $1
    ClearErrors
    ReadRegStr $2 HKCU "${SETUP_STATE_KEY}" "PreviousScreenSaver"
    ${If} $1 != 1
    ${OrIf} ${Errors}
        ${If} $1 == 1
            StrCpy $0 "" ; ours already, from an installation that remembered nothing
        ${EndIf}
        WriteRegStr HKCU "${SETUP_STATE_KEY}" "PreviousScreenSaver" $0
    ${EndIf}
    GetFullPathName /SHORT $0 "$INSTDIR\Corvane.scr"
    ${If} $0 == ""
        StrCpy $0 "$INSTDIR\Corvane.scr"
    ${EndIf}
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
FunctionEnd

; While SCRNSAVE.EXE names this installation's Corvane.scr, the screen saver chosen before the
; install comes back (none if there was none); another one chosen since stays. Must run while
; Corvane.scr still exists.
Function un.ForgetScreenSaver
    ClearErrors
    ReadRegStr $4 HKCU "${SETUP_STATE_KEY}" "PreviousScreenSaver"
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    Call un.IsOurScreenSaver
    Pop $1
    ${If} $1 == 1
        ${If} $4 != ""
            WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $4
        ${Else}
            DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
        ${EndIf}
    ${EndIf}
    DeleteRegKey HKCU "${SETUP_STATE_KEY}"
    DeleteRegKey /ifnosubkeys /ifnovalues HKCU "Software\Kestova"
FunctionEnd
