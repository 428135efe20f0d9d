a = {}
r = 0
s = 0
while r < 100 do
  i = 0
  while i < 4000 do
    a[i] = i * 3
    i = i + 1
  end
  i = 0
  while i < 4000 do
    s = s + a[i]
    i = i + 1
  end
  r = r + 1
end
