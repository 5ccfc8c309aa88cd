' Types N characters into the editor through the shell object's SendKeys,
' then ends the editor the way the other side does. Exits with 3 when the
' shell object cannot activate windows or send keys (the benchmark then shows
' "unsupported" for this side).
n = CLng(WScript.Arguments(0))
Set shell = CreateObject("WScript.Shell")
Set proc = shell.Exec("notepad.exe")
text = ""
Do While Len(text) < n
  text = text & "abcdefghij"
Loop
On Error Resume Next
Do
  found = shell.AppActivate("Untitled - Notepad")
  If Err.Number <> 0 Then Exit Do
  If found Then Exit Do
  WScript.Sleep 100
Loop
If Err.Number = 0 Then shell.SendKeys Left(text, n)
failed = Err.Number <> 0
On Error GoTo 0
shell.Run "cmd.exe /c taskkill /f /pid " & proc.ProcessID & " >nul", 0, True
If failed Then WScript.Quit 3
WScript.Echo n
