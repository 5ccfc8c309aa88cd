n = CLng(WScript.Arguments(0))
total = 0
For r = 1 To n
  list = ""
  For i = 1 To 50
    If list = "" Then
      list = "w" & i
    Else
      list = list & " " & "w" & i
    End If
  Next
  For i = 1 To 50 Step 7
    parts = Split(list, " ")
    total = total + Len(parts(i - 1))
  Next
  items = Split(list, " ")
  found = 0
  For k = 0 To UBound(items)
    If items(k) = "w25" Then
      found = k + 1
      Exit For
    End If
  Next
  parts = Split(list, " ")
  total = total + found + UBound(parts) + 1
Next
WScript.Echo total
