local function tag(word, n)
  local t = word .. n
  return #t
end
local n = tonumber(arg[1])
local sum = 0
for i = 1, n do
  sum = sum + tag("k", i)
end
print(sum)
