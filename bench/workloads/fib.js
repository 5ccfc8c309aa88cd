function fib(k) { return k < 2 ? k : fib(k - 1) + fib(k - 2); }
WScript.Echo(fib(parseInt(WScript.Arguments(0), 10)));
