; The installer's options page (who for, screen saver) and the uninstaller's (settings).

Var OptionsDialog
Var OnlyMeRadio
Var EveryoneRadio
Var ScreenSaverBox
Var SettingsBox

Function OptionsPage
    !insertmacro MUI_HEADER_TEXT "Options" "Choose who gets ${PRODUCT} and whether it becomes \
        your screen saver."
    nsDialogs::Create 1018
    Pop $OptionsDialog
    ${If} $OptionsDialog == error
        Abort
    ${EndIf}
    ${NSD_CreateLabel} 0 0 100% 12u "Install ${PRODUCT} for:"
    Pop $0
    ${NSD_CreateRadioButton} 10u 14u -10u 12u "&Only me (no administrator rights needed)"
    Pop $OnlyMeRadio
    ${NSD_AddStyle} $OnlyMeRadio ${WS_GROUP}
    ${NSD_CreateRadioButton} 10u 28u -10u 12u \
        "&Everyone who uses this computer (needs administrator rights)"
    Pop $EveryoneRadio
    ${If} $AllUsers == 1
        ${NSD_Check} $EveryoneRadio
    ${Else}
        ${NSD_Check} $OnlyMeRadio
    ${EndIf}
    ${NSD_CreateCheckBox} 0 56u 100% 12u "&Make ${PRODUCT} my screen saver"
    Pop $ScreenSaverBox
    ${NSD_AddStyle} $ScreenSaverBox ${WS_GROUP}
    ${If} $SetScreenSaver == 1
        ${NSD_Check} $ScreenSaverBox
    ${EndIf}
    ${NSD_CreateLabel} 0 72u 100% 24u "You can also choose it later in Windows' Screen Saver \
        Settings, where its Settings button chooses the presentations."
    Pop $0
    nsDialogs::Show
FunctionEnd

Function OptionsPageLeave
    ${NSD_GetState} $EveryoneRadio $0
    ${If} $0 == ${BST_CHECKED}
        Call IsAdmin
        Pop $1
        ${If} $1 != 1
            MessageBox MB_ICONEXCLAMATION|MB_OK "Installing for everyone needs administrator \
                rights. Choose Only me, or close Setup and start it again with Run as \
                administrator."
            Abort
        ${EndIf}
        StrCpy $AllUsers 1
    ${Else}
        StrCpy $AllUsers 0
    ${EndIf}
    ${NSD_GetState} $ScreenSaverBox $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $SetScreenSaver 1
    ${Else}
        StrCpy $SetScreenSaver 0
    ${EndIf}
    Call ApplyScope
FunctionEnd

Function un.OptionsPage
    !insertmacro MUI_HEADER_TEXT "Your settings" "Choose whether your settings go too."
    nsDialogs::Create 1018
    Pop $OptionsDialog
    ${If} $OptionsDialog == error
        Abort
    ${EndIf}
    ${NSD_CreateLabel} 0 0 100% 24u "Your settings are the presentations chosen for each monitor \
        and the keyboard and mouse options. They are kept unless you remove them here."
    Pop $0
    ${NSD_CreateCheckBox} 0 30u 100% 12u "&Remove my settings too"
    Pop $SettingsBox
    ${If} $RemoveSettings == 1
        ${NSD_Check} $SettingsBox
    ${EndIf}
    nsDialogs::Show
FunctionEnd

Function un.OptionsPageLeave
    ${NSD_GetState} $SettingsBox $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $RemoveSettings 1
    ${Else}
        StrCpy $RemoveSettings 0
    ${EndIf}
FunctionEnd
