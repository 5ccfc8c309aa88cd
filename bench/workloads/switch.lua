local n = tonumber(arg[1])
local a = 0
for i = 1, n do
  local k = i % 5
  if k == 0 then a = a + 1
  elseif k == 1 then a = a + 3
  elseif k == 2 then a = a - 1
  elseif k == 3 then a = a + 7
  else a = a - 2 end
end
print(a)
