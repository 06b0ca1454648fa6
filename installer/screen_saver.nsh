; The current user's screen saver: Windows starts the program named by SCRNSAVE.EXE.

!define DESKTOP_KEY "Control Panel\Desktop"

; Windows itself stores the short name: a path with blanks in it is not quoted when the screen
; saver is started. (Without 8.3 names the long path is all there is.)
Function MakeCurrentScreenSaver
    GetFullPathName /SHORT $0 "$INSTDIR\Corvane.scr"
    ${If} $0 == ""
        StrCpy $0 "$INSTDIR\Corvane.scr"
    ${EndIf}
    WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
FunctionEnd

; Removes SCRNSAVE.EXE only when it names this installation's Corvane.scr, by its long or short
; name; another screen saver chosen since stays. Must run while Corvane.scr still exists.
Function un.ForgetScreenSaver
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${If} $0 == ""
        Return
    ${EndIf}
    StrCpy $3 0
    ${If} $0 == "$INSTDIR\Corvane.scr"
        StrCpy $3 1
    ${Else}
        GetFullPathName /SHORT $1 "$INSTDIR\Corvane.scr"
        GetFullPathName /SHORT $2 $0
        ; Both empty when the files are gone: that proves nothing.
        ${If} $1 != ""
        ${AndIf} $1 == $2
            StrCpy $3 1
        ${EndIf}
    ${EndIf}
    ${If} $3 == 1
        DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
FunctionEnd
