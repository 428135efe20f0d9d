-- Globals, as the script's are.
w = ""
i = 0
while i < 1000000 do
  w = tostring(i)
  i = i + 1
end
print(w)
