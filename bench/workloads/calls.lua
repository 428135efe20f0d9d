n = 0
i = 0
function inc()
  n = n + 1
end
while i < 300000 do
  inc()
  i = i + 1
end
