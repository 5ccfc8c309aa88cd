local n = tonumber(arg[1])
local function split(s)
  local t = {}
  for w in string.gmatch(s, "[^ ]+") do t[#t + 1] = w end
  return t
end
local total = 0
for r = 1, n do
  local list = ""
  for i = 1, 50 do
    if list == "" then list = "w" .. i else list = list .. " " .. "w" .. i end
  end
  for i = 1, 50, 7 do total = total + #split(list)[i] end
  local items, found = split(list), 0
  for k = 1, #items do if items[k] == "w25" then found = k break end end
  total = total + found + #split(list)
end
print(total)
