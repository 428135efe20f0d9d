-- Globals, as the script's are; floor stands in for the built-in quotient.
local floor = math.floor
i, a, b = 0, 0, 0
while i < 10000000 do
  r = i - floor(i / 2) * 2
  if r == 0 then
    a = a + 1
  else
    b = b + 1
  end
  i = i + 1
end
print(a .. " " .. b)
