local f = {}
local c = 0
local r = 0
while r < 5 do
  local i = 0
  while i < 1000001 do
    f[i] = 0
    i = i + 1
  end
  c = 0
  i = 2
  while i < 1000001 do
    if f[i] == 0 then
      c = c + 1
      local j = i * i
      while j < 1000001 do
        f[j] = 1
        j = j + i
      end
    end
    i = i + 1
  end
  r = r + 1
end
print(c)
