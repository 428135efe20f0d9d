i = 0
a = 0
b = 0
while i < 1000000 do
  r = i - (i // 2) * 2
  if r == 0 then
    a = a + 1
  else
    b = b + 1
  end
  i = i + 1
end
