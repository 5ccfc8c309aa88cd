local n = tonumber(arg[1])
local lines, s, last = 0, "", nil
for i = 1, n do
  s = s .. "ab" .. i .. ","
  if i % 100 == 0 then
    last = s
    s = ""
    lines = lines + 1
  end
end
print(lines)
