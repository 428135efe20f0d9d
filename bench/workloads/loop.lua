-- The script's variables are globals, as every variable of a script is.
s, r = 0, 0
while r < 3 do
  i = 0
  while i < 10000000 do
    s = i * 2
    i = i + 1
  end
  r = r + 1
end
print(s)
