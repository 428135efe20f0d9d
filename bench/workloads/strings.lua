s = ""
t = ""
i = 0
while i < 5000 do
  s = s .. "x"
  i = i + 1
end
i = 0
while i < 100000 do
  t = string.sub(s, 1, 10)
  i = i + 1
end
