' Types N characters into the editor through the shell object's SendKeys,
' then ends the editor the way the other side does.
n = CLng(WScript.Arguments(0))
Set shell = CreateObject("WScript.Shell")
Set proc = shell.Exec("notepad.exe")
Do While Not shell.AppActivate("Untitled - Notepad")
  WScript.Sleep 100
Loop
text = ""
Do While Len(text) < n
  text = text & "abcdefghij"
Loop
shell.SendKeys Left(text, n)
WScript.Echo n
shell.Run "cmd.exe /c taskkill /f /pid " & proc.ProcessID & " >nul", 0, True
