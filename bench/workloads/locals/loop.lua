local s, r = 0, 0
while r < 3 do
  local i = 0
  while i < 10000000 do
    s = i * 2
    i = i + 1
  end
  r = r + 1
end
print(s)
