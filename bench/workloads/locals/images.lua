-- The same copies into a frame buffer table: the disc's opaque pixels are
-- one run a row, so each row is one table.move.
local floor = math.floor
local img, first, last = {}, {}, {}
for r = 0, 31 do
  for c = 0, 31 do
    if (2 * c - 31) ^ 2 + (2 * r - 31) ^ 2 < 1024 then
      img[r * 32 + c] = 128 * 65536 + r * 8 * 256 + c * 8 + 4
      first[r] = first[r] or c
      last[r] = c
    end
  end
end
local frame = {}
for k = 0, 800 * 600 - 1 do frame[k] = 0 end
local move = table.move
local i, x, y = 0, 0, 0
while i < 500000 do
  x = (i - floor(i / 24) * 24) * 32
  y = (floor(i / 24) - floor(i / 432) * 18) * 32
  for r = 0, 31 do
    local a = first[r]
    move(img, r * 32 + a, r * 32 + last[r], (y + r) * 800 + x + a, frame)
  end
  i = i + 1
end
print(i .. " " .. x .. " " .. y)
