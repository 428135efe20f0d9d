-- The same lines drawn into a frame buffer table in the same grid cells.
-- Each character's glyph is one run of ink per row (rows 3 to 12 of a cell
-- 8 pixels wide), copied with table.move as the images counterpart copies
-- the disc: less work than tessel's blending of anti-aliased coverage.
-- The script's variables are globals; floor stands in for the built-in
-- quotient, draw for PRINT.
local floor = math.floor
local move = table.move
local ink, first, last = {}, {}, {}
for c = 0, 255 do
  first[c] = c % 3
  last[c] = 5 + c % 2
  local row = {}
  for k = 0, 7 do row[k] = 0xFF0000 + c * 256 + k end
  ink[c] = row
end
first[32], last[32] = 0, -1 -- a space has no ink
local frame = {}
for k = 0, 800 * 600 - 1 do frame[k] = 0 end
local function draw(x, y, s)
  for p = 1, #s do
    local c = s:byte(p)
    local px = x + (p - 1) * 8
    if px + 8 > 800 then break end
    local row, a, b = ink[c], first[c], last[c]
    for r = 3, 12 do
      move(row, a, b, (y + r) * 800 + px + a, frame)
    end
  end
end
i, n = 0, 0
while i < 400000 do
  t = "Line " .. i
  x = (i - floor(i / 8) * 8) * 100
  y = (floor(i / 8) - floor(i / 320) * 40) * 15
  draw(x, y, t)
  n = n + #t
  i = i + 1
end
print(n)
