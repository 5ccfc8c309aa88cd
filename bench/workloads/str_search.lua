local n = tonumber(arg[1])
local hay = ""
for i = 1, 1000 do hay = hay .. "k" .. (i % 97) .. "-xyz;" end
local hits = 0
for i = 1, n do
  local pos = string.find(hay, "k" .. (i % 97) .. "-", 1, true)
  if pos then hits = hits + #string.sub(hay, pos, pos + 5) end
end
print(hits)
