-- A script's functions and variables are all global.
n = 0
i = 0
function inc()
  n = n + 1
end
while i < 10000000 do
  inc()
  i = i + 1
end
print(n)
