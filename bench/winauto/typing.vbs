' Types N characters into the editor through the shell object's SendKeys,
' then closes the editor.
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
proc.Terminate
