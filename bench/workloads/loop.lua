local s = 0
local i = 0
while i < 30000000 do
  s = s + 2
  i = i + 1
end
print(s)
