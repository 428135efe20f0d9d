local n = 0
local i = 0
local function inc()
  n = n + 1
end
while i < 10000000 do
  inc()
  i = i + 1
end
print(n)
