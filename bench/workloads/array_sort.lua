local function bsearch(a, v)
  local lo, hi = 1, #a
  while lo <= hi do
    local m = (lo + hi) // 2
    if a[m] == v then return m end
    if a[m] < v then lo = m + 1 else hi = m - 1 end
  end
  return -1
end
local n = tonumber(arg[1])
local a, seed = {}, 12345
for i = 1, n do seed = (seed * 75 + 74) % 65537; a[i] = seed end
table.sort(a)
local found = 0
for i = 1, 2000 do if bsearch(a, (i * 61) % 65537) >= 0 then found = found + 1 end end
print(a[1] .. " " .. a[n] .. " " .. found)
