n = CLng(WScript.Arguments(0))
a = 0
For i = 1 To n
  Select Case i Mod 5
    Case 0: a = a + 1
    Case 1: a = a + 3
    Case 2: a = a - 1
    Case 3: a = a + 7
    Case 4: a = a - 2
  End Select
Next
WScript.Echo a
