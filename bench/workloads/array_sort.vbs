'No built-in sort: an in-place quicksort, as a script would carry.
Sub QSort(a, lo, hi)
  Dim i, j, p, t
  i = lo
  j = hi
  p = a((lo + hi) \ 2)
  Do While i <= j
    Do While a(i) < p
      i = i + 1
    Loop
    Do While a(j) > p
      j = j - 1
    Loop
    If i <= j Then
      t = a(i)
      a(i) = a(j)
      a(j) = t
      i = i + 1
      j = j - 1
    End If
  Loop
  If lo < j Then QSort a, lo, j
  If i < hi Then QSort a, i, hi
End Sub
Function BSearch(a, v)
  Dim lo, hi, m
  lo = 0
  hi = UBound(a)
  BSearch = -1
  Do While lo <= hi
    m = (lo + hi) \ 2
    If a(m) = v Then
      BSearch = m
      Exit Function
    End If
    If a(m) < v Then
      lo = m + 1
    Else
      hi = m - 1
    End If
  Loop
End Function
n = CLng(WScript.Arguments(0))
Dim a
ReDim a(n - 1)   ' (Wine's VBScript needs the Dim first)
seed = 12345
For i = 0 To n - 1
  seed = (seed * 75 + 74) Mod 65537
  a(i) = seed
Next
QSort a, 0, n - 1
found = 0
For i = 1 To 2000
  If BSearch(a, (i * 61) Mod 65537) >= 0 Then found = found + 1
Next
WScript.Echo a(0) & " " & a(n - 1) & " " & found
