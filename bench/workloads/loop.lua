s = 0
i = 0
while i < 1000000 do
  s = s + i * 2
  i = i + 1
end
