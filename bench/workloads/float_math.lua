local n = tonumber(arg[1])
local x = 0.0
local sqrt, sin = math.sqrt, math.sin
for i = 1, n do
  x = x + sqrt(i) * sin(i) / (1.5 + i)
end
print(x)
