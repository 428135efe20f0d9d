-- The same lines and grid cells; each line goes into its cell of a screen
-- table.
local floor = math.floor
local screen = {}
local i, n = 0, 0
while i < 400000 do
  local t = "Line " .. i
  local x = (i - floor(i / 8) * 8) * 100
  local y = (floor(i / 8) - floor(i / 320) * 40) * 15
  screen[y * 800 + x] = t
  n = n + #t
  i = i + 1
end
print(n)
