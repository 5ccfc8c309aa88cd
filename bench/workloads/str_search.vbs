n = CLng(WScript.Arguments(0))
hay = ""
For i = 1 To 1000
  hay = hay & "k" & (i Mod 97) & "-xyz;"
Next
hits = 0
For i = 1 To n
  pos = InStr(1, hay, "k" & (i Mod 97) & "-")
  If pos > 0 Then hits = hits + Len(Mid(hay, pos, 6))
Next
WScript.Echo hits
