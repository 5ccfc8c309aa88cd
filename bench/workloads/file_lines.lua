local count, total = 0, 0
for line in io.lines(arg[2]) do
  count = count + 1
  total = total + #line
end
print(count .. " " .. total)
