local n = tonumber(arg[1])
local m = {}
for i = 1, n do m["k" .. i] = i % 1000 end
local total = 0
for i = 1, n do total = total + m["k" .. i] end
print(total)
