local floor = math.floor
local i, a, b = 0, 0, 0
while i < 10000000 do
  local r = i - floor(i / 2) * 2
  if r == 0 then
    a = a + 1
  else
    b = b + 1
  end
  i = i + 1
end
print(a .. " " .. b)
