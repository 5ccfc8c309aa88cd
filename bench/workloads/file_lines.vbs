Set fso = CreateObject("Scripting.FileSystemObject")
Set f = fso.OpenTextFile(WScript.Arguments(1), 1)
count = 0 : total = 0
Do While Not f.AtEndOfStream
  line = f.ReadLine
  count = count + 1
  total = total + Len(line)
Loop
f.Close
WScript.Echo count & " " & total
