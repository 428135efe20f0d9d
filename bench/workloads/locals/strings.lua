local s, t = "", ""
local i, n = 0, 0
while i < 2000000 do
  t = tostring(i * 7)
  s = string.sub(s, 2, 31) .. t .. "|"
  n = n + #t
  i = i + 1
end
print(n .. " " .. s)
