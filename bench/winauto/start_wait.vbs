' Starts a program that does nothing, N times, waiting for each to end.
n = CLng(WScript.Arguments(0))
Set shell = CreateObject("WScript.Shell")
For i = 1 To n
  shell.Run """" & WScript.Arguments(1) & """", 1, True
Next
WScript.Echo n
