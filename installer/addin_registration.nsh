; Registration of the PowerPoint add-in for 64-bit and 32-bit Office.
;
; The 64-bit library registers itself (regsvr32; /n /i:user per user): its classes, type library
; and PowerPoint's add-in key. This 64-bit setup cannot load the 32-bit library, so the 32-bit
; view's records are written here: the same classes pointing at x86\Paxendo.dll, the interfaces
; of its type library, and the library's win32 entry. ProgIDs, the type library key and the
; current user's add-in key are shared by both views.
;
; The 32-bit view's class and interface keys are named by their physical place (Wow6432Node under
; the classes root), which is where SetRegView 32 leads on Windows; Wine does not redirect the
; per-user classes, and there the named place keeps them apart from the 64-bit records too.
;
; The identifiers are those of addin/win/paxendo.idl.

!define PAXENDO_LIBID "{B4918A5C-260E-417E-AC1C-4888A85E7DB4}"
!define PAXENDO_ADDIN_CLSID "{0241142B-432C-4C3E-AE2A-22CCF0A6291E}"
!define PAXENDO_HOST_CLSID "{B6D95708-60AC-460E-9CF6-56007B2AD150}"
!define PAXENDO_ADDIN_IID "{029BDF1C-290D-4D95-8921-4254BEE4661B}"
!define PAXENDO_HOST_IID "{41CE25F3-88B7-4076-9B99-8D6DDEAD4621}"
!define PAXENDO_ADDIN_PROGID "Paxendo.PowerPointAddin"
!define PAXENDO_HOST_PROGID "Paxendo.HostClass"
; oleaut32's marshaller for dual interfaces described by a type library.
!define OLEAUT_MARSHALER "{00020424-0000-0000-C000-000000000046}"
!define CLASSES "Software\Classes"
!define CLASSES32 "Software\Classes\Wow6432Node"
!define OFFICE_ADDINS "Software\Microsoft\Office\PowerPoint\Addins"
!define OFFICE_ADDINS32 "Software\Wow6432Node\Microsoft\Office\PowerPoint\Addins"
!define ADDIN_DESCRIPTION "Show PowerPoint presentation as screen saver. Show multiple \
    presentations on different monitors as screen savers."

!macro WriteClass32 CLSID PROGID
    WriteRegStr SHCTX "${CLASSES32}\CLSID\${CLSID}" "" "${PROGID}"
    WriteRegStr SHCTX "${CLASSES32}\CLSID\${CLSID}\InprocServer32" "" "$INSTDIR\x86\Paxendo.dll"
    WriteRegStr SHCTX "${CLASSES32}\CLSID\${CLSID}\InprocServer32" "ThreadingModel" "Apartment"
    WriteRegStr SHCTX "${CLASSES32}\CLSID\${CLSID}\ProgID" "" "${PROGID}"
    WriteRegStr SHCTX "${CLASSES32}\CLSID\${CLSID}\TypeLib" "" "${PAXENDO_LIBID}"
    WriteRegStr SHCTX "${CLASSES32}\CLSID\${CLSID}\VERSION" "" "1.0"
!macroend

!macro WriteInterface32 IID NAME
    WriteRegStr SHCTX "${CLASSES32}\Interface\${IID}" "" "${NAME}"
    WriteRegStr SHCTX "${CLASSES32}\Interface\${IID}\ProxyStubClsid" "" "${OLEAUT_MARSHALER}"
    WriteRegStr SHCTX "${CLASSES32}\Interface\${IID}\ProxyStubClsid32" "" "${OLEAUT_MARSHALER}"
    WriteRegStr SHCTX "${CLASSES32}\Interface\${IID}\TypeLib" "" "${PAXENDO_LIBID}"
    WriteRegStr SHCTX "${CLASSES32}\Interface\${IID}\TypeLib" "Version" "1.0"
!macroend

!macro WriteOfficeAddinKey ROOT PATH
    WriteRegStr ${ROOT} "${PATH}\${PAXENDO_ADDIN_PROGID}" "FriendlyName" "${PRODUCT}"
    WriteRegStr ${ROOT} "${PATH}\${PAXENDO_ADDIN_PROGID}" "Description" "${ADDIN_DESCRIPTION}"
    WriteRegDWORD ${ROOT} "${PATH}\${PAXENDO_ADDIN_PROGID}" "LoadBehavior" 3
!macroend

!macro DeleteIfEmpty ROOT KEY
    DeleteRegKey /ifnosubkeys /ifnovalues ${ROOT} "${KEY}"
!macroend

; Office's own keys above the add-in's: OUT gets the outermost of ...\Office, ...\PowerPoint and
; ...\PowerPoint\Addins that is missing now ("" when all exist), i.e. the first one that writing
; the add-in key creates. Only those the setup created are ever removed again.
!macro OfficeKeyToCreate ROOT OFFICE OUT
    StrCpy ${OUT} ""
    ClearErrors
    EnumRegKey $9 ${ROOT} "${OFFICE}\PowerPoint\Addins" 0
    ${If} ${Errors}
        StrCpy ${OUT} "${OFFICE}\PowerPoint\Addins"
        ClearErrors
        EnumRegKey $9 ${ROOT} "${OFFICE}\PowerPoint" 0
        ${If} ${Errors}
            StrCpy ${OUT} "${OFFICE}\PowerPoint"
            ClearErrors
            EnumRegKey $9 ${ROOT} "${OFFICE}" 0
            ${If} ${Errors}
                StrCpy ${OUT} "${OFFICE}"
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ClearErrors
!macroend

; Removes, when empty, the keys from ...\Addins up to CREATED (as OfficeKeyToCreate found it).
!macro DeleteCreatedOfficeKeys ROOT OFFICE CREATED
    ${If} ${CREATED} != ""
        !insertmacro DeleteIfEmpty ${ROOT} "${OFFICE}\PowerPoint\Addins"
        ${If} ${CREATED} == "${OFFICE}\PowerPoint"
        ${OrIf} ${CREATED} == "${OFFICE}"
            !insertmacro DeleteIfEmpty ${ROOT} "${OFFICE}\PowerPoint"
        ${EndIf}
        ${If} ${CREATED} == "${OFFICE}"
            !insertmacro DeleteIfEmpty ${ROOT} "${OFFICE}"
        ${EndIf}
    ${EndIf}
!macroend

!define OFFICE "Software\Microsoft\Office"
!define OFFICE32 "Software\Wow6432Node\Microsoft\Office"
; Values of the uninstall entry: which of Office's keys the first install created.
!define CREATED_VALUE "OfficeKeyCreated"
!define CREATED_VALUE32 "OfficeKeyCreated32"
; Keeps Office's keys of the current user from the library's unregistration, which removes them
; when they are empty.
!define KEEP_VALUE "Kestova.Uninstalling"

; Remembered once, by the first install: an upgrade finds the keys that install made.
!macro RememberOfficeKeyToCreate ROOT OFFICE VALUE
    ClearErrors
    ReadRegStr $R0 SHCTX "${UNINSTALL_KEY}" "${VALUE}"
    ${If} ${Errors}
        !insertmacro OfficeKeyToCreate ${ROOT} "${OFFICE}" $R0
        WriteRegStr SHCTX "${UNINSTALL_KEY}" "${VALUE}" $R0
    ${EndIf}
    ClearErrors
!macroend

Function RegisterAddin
    ${If} $AllUsers == 1
        !insertmacro RememberOfficeKeyToCreate HKLM "${OFFICE}" "${CREATED_VALUE}"
        !insertmacro RememberOfficeKeyToCreate HKLM "${OFFICE32}" "${CREATED_VALUE32}"
        ; The library also writes the installing user's add-in key; the machine's serves every
        ; user, so that one goes again unless it was there before.
        !insertmacro OfficeKeyToCreate HKCU "${OFFICE}" $R1
        StrCpy $R2 0
        ClearErrors
        EnumRegValue $9 HKCU "${OFFICE_ADDINS}\${PAXENDO_ADDIN_PROGID}" 0
        ${IfNot} ${Errors}
            StrCpy $R2 1
        ${EndIf}
    ${Else}
        !insertmacro RememberOfficeKeyToCreate HKCU "${OFFICE}" "${CREATED_VALUE}"
    ${EndIf}

    StrCpy $0 "not started"
    ${If} $AllUsers == 1
        ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\Paxendo.dll"' $0
    ${Else}
        ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:user "$INSTDIR\Paxendo.dll"' $0
    ${EndIf}
    ${If} $0 != 0
        DetailPrint "regsvr32 Paxendo.dll: $0"
        MessageBox MB_ICONSTOP|MB_OK "The PowerPoint add-in could not be registered \
            (regsvr32 ended with $0). Remove ${PRODUCT} and install it again." /SD IDOK
        Abort
    ${EndIf}

    !insertmacro WriteClass32 "${PAXENDO_ADDIN_CLSID}" "${PAXENDO_ADDIN_PROGID}"
    !insertmacro WriteClass32 "${PAXENDO_HOST_CLSID}" "${PAXENDO_HOST_PROGID}"
    !insertmacro WriteInterface32 "${PAXENDO_ADDIN_IID}" "_PowerPointAddin"
    !insertmacro WriteInterface32 "${PAXENDO_HOST_IID}" "_HostClass"
    WriteRegStr SHCTX "${CLASSES}\TypeLib\${PAXENDO_LIBID}\1.0\0\win32" "" \
        "$INSTDIR\x86\Paxendo.dll"

    ; PowerPoint loads the machine's add-ins for every user, from the key of its own bitness.
    ${If} $AllUsers == 1
        !insertmacro WriteOfficeAddinKey HKLM "${OFFICE_ADDINS}"
        !insertmacro WriteOfficeAddinKey HKLM "${OFFICE_ADDINS32}"
        ${If} $R2 != 1
            DeleteRegKey HKCU "${OFFICE_ADDINS}\${PAXENDO_ADDIN_PROGID}"
            !insertmacro DeleteCreatedOfficeKeys HKCU "${OFFICE}" $R1
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.UnregisterAddin
    ; What the first install created of Office's keys (read before the entry goes).
    ReadRegStr $R1 SHCTX "${UNINSTALL_KEY}" "${CREATED_VALUE}"
    ReadRegStr $R2 SHCTX "${UNINSTALL_KEY}" "${CREATED_VALUE32}"

    ; The 32-bit records first: while they are there, the library's own removal of the shared
    ; type library key leaves that key in place.
    DeleteRegKey SHCTX "${CLASSES32}\CLSID\${PAXENDO_ADDIN_CLSID}"
    DeleteRegKey SHCTX "${CLASSES32}\CLSID\${PAXENDO_HOST_CLSID}"
    DeleteRegKey SHCTX "${CLASSES32}\Interface\${PAXENDO_ADDIN_IID}"
    DeleteRegKey SHCTX "${CLASSES32}\Interface\${PAXENDO_HOST_IID}"
    DeleteRegKey SHCTX "${CLASSES}\TypeLib\${PAXENDO_LIBID}\1.0\0\win32"
    !insertmacro DeleteIfEmpty SHCTX "${CLASSES}\TypeLib\${PAXENDO_LIBID}\1.0\0"

    ; The library removes the current user's add-in key and, when empty, Office's keys above
    ; it: a value keeps those (whoever made them) until the setup's own record decides.
    StrCpy $R3 0
    ClearErrors
    EnumRegKey $9 HKCU "${OFFICE_ADDINS}" 0
    ${IfNot} ${Errors}
        WriteRegStr HKCU "${OFFICE_ADDINS}" "${KEEP_VALUE}" ""
        StrCpy $R3 1
    ${EndIf}
    ClearErrors
    ${If} $AllUsers == 1
        ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\Paxendo.dll"' $0
        DeleteRegKey HKLM "${OFFICE_ADDINS}\${PAXENDO_ADDIN_PROGID}"
        DeleteRegKey HKLM "${OFFICE_ADDINS32}\${PAXENDO_ADDIN_PROGID}"
    ${Else}
        ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:user "$INSTDIR\Paxendo.dll"' $0
    ${EndIf}
    ${If} $R3 == 1
        DeleteRegValue HKCU "${OFFICE_ADDINS}" "${KEEP_VALUE}"
    ${EndIf}

    ; Whatever the library could not remove (it may be missing or damaged): every key below is
    ; named by our own identifiers, so nothing else is touched.
    DeleteRegKey SHCTX "${CLASSES}\CLSID\${PAXENDO_ADDIN_CLSID}"
    DeleteRegKey SHCTX "${CLASSES}\CLSID\${PAXENDO_HOST_CLSID}"
    DeleteRegKey SHCTX "${CLASSES}\${PAXENDO_ADDIN_PROGID}"
    DeleteRegKey SHCTX "${CLASSES}\${PAXENDO_HOST_PROGID}"
    DeleteRegKey SHCTX "${CLASSES}\Interface\${PAXENDO_ADDIN_IID}"
    DeleteRegKey SHCTX "${CLASSES}\Interface\${PAXENDO_HOST_IID}"
    DeleteRegKey SHCTX "${CLASSES}\TypeLib\${PAXENDO_LIBID}"

    ${If} $AllUsers == 1
        ; A per-user installation of this user beside the machine's keeps its add-in key.
        ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $0 != ""
            !insertmacro WriteOfficeAddinKey HKCU "${OFFICE_ADDINS}"
        ${EndIf}
        !insertmacro DeleteCreatedOfficeKeys HKLM "${OFFICE}" $R1
        !insertmacro DeleteCreatedOfficeKeys HKLM "${OFFICE32}" $R2
    ${Else}
        DeleteRegKey HKCU "${OFFICE_ADDINS}\${PAXENDO_ADDIN_PROGID}"
        ; Containers that registering created in a fresh user profile, only if nothing else is
        ; in them. The machine's containers are the system's: they stay.
        !insertmacro DeleteIfEmpty HKCU "${CLASSES32}\CLSID"
        !insertmacro DeleteIfEmpty HKCU "${CLASSES32}\Interface"
        !insertmacro DeleteIfEmpty HKCU "${CLASSES32}"
        !insertmacro DeleteIfEmpty HKCU "${CLASSES}\CLSID"
        !insertmacro DeleteIfEmpty HKCU "${CLASSES}\Interface"
        !insertmacro DeleteIfEmpty HKCU "${CLASSES}\TypeLib"
        !insertmacro DeleteIfEmpty HKCU "${CLASSES}"
        !insertmacro DeleteCreatedOfficeKeys HKCU "${OFFICE}" $R1
    ${EndIf}
FunctionEnd

!macro DefineWaitForPowerPoint UN
; A running PowerPoint holds the add-in's libraries open: ask the user to close it first. Silent,
; end with ERROR_SHARING_VIOLATION unless /FORCE says to go ahead.
Function ${UN}WaitForPowerPointToClose
    ${If} ${Silent}
        FindWindow $0 "PPTFrameClass"
        ${If} $0 != 0
            ${GetParameters} $R0
            ClearErrors
            ${GetOptions} $R0 "/FORCE" $R1
            ${If} ${Errors}
                SetErrorLevel 32
                Quit
            ${EndIf}
        ${EndIf}
    ${Else}
        ${Do}
            FindWindow $0 "PPTFrameClass"
            ${If} $0 == 0
                ${Break}
            ${EndIf}
            MessageBox MB_ICONEXCLAMATION|MB_RETRYCANCEL "PowerPoint is running. Please close \
                it, then choose Retry." IDRETRY +2
            Quit
        ${Loop}
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineWaitForPowerPoint ""
!insertmacro DefineWaitForPowerPoint "un."
