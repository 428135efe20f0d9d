-- The same fixed-point Mandelbrot set; each pixel's colour goes into a
-- frame buffer table.
local floor = math.floor
local function quot(a, b) -- quotient truncated toward zero
  if a < 0 then return -floor(-a / b) end
  return floor(a / b)
end
local frame = {}
local total = 0
local py = 0
while py < 300 do
  local px = 0
  while px < 400 do
    local x0 = floor(px * 3072 / 400) - 2048
    local y0 = floor(py * 2458 / 300) - 1229
    local x, y, d, k = 0, 0, 0, 0
    while d < 4194304 and k < 60 do
      local xt = quot(x * x - y * y, 1024) + x0
      y = quot(2 * x * y, 1024) + y0
      x = xt
      d = x * x + y * y
      k = k + 1
    end
    total = total + k
    frame[py * 400 + px] = k * 4 * 65536 + k * 2 * 256 + 255 - k * 4
    px = px + 1
  end
  py = py + 1
end
print(total)
