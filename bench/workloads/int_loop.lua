local n = tonumber(arg[1])
local total = 0
for i = 1, n do
  total = (total + i * 3) % 1000003
end
print(total)
