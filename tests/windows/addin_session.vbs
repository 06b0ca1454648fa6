' A script client of the running host and its add-in, as a user's own automation would be: the
' add-in is found through the host's list of COM add-ins, and every argument is a script variable,
' so it arrives as a variant by reference.
'   cscript //nologo addin_session.vbs start <path> <monitor> [<path> <monitor> ...]
'   cscript //nologo addin_session.vbs finish
' Prints "vbs<TAB>member<TAB>type name<TAB>value" per result.
Option Explicit

Dim args, app, entry, addin, i
Set args = WScript.Arguments
Set app = CreateObject("PowerPoint.Application")
For i = 1 To app.COMAddIns.Count
    Set entry = app.COMAddIns.Item(i)
    If entry.Description = "Kestova Screen Saver" Then Set addin = entry.Object
Next
If IsEmpty(addin) Then
    WScript.Echo "vbs" & vbTab & "no add-in"
    WScript.Quit 2
End If

Sub Report(member, value)
    WScript.Echo "vbs" & vbTab & member & vbTab & TypeName(value) & vbTab & CStr(value)
End Sub

Dim pid, count, index, path, monitor
If args(0) = "start" Then
    addin.GetProcessId pid
    Report "GetProcessId", pid
    Report "IsCOMAddInInitialized", addin.IsCOMAddInInitialized()
    count = (args.Count - 1) \ 2
    addin.InitializeScreenSaverSession count
    For index = 1 To count
        path = args(2 * index - 1)
        monitor = args(2 * index)
        addin.AddScreenSaver index, path, monitor
    Next
    Report "PrepareScreenSaver", addin.PrepareScreenSaver()
    addin.BeginScreenSaver
    Report "ShouldEndScreenSaver", addin.ShouldEndScreenSaver()
Else
    Report "ShouldEndScreenSaver", addin.ShouldEndScreenSaver()
    addin.EndScreenSaver
    addin.ExitScreenSaverSession
    Report "ExitScreenSaverSession", "done"
End If
