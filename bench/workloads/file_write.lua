local n = tonumber(arg[1])
local total = 0
local f = assert(io.open(arg[2], "w"))
for i = 1, n do
  local line = "line " .. i .. " of the benchmark output"
  f:write(line, "\r\n")
  total = total + #line
end
f:close()
print(n .. " " .. total)
