Function Fib(k)
  If k < 2 Then Fib = k Else Fib = Fib(k - 1) + Fib(k - 2)
End Function
WScript.Echo Fib(CLng(WScript.Arguments(0)))
