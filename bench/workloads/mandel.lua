-- The same fixed-point Mandelbrot set; each pixel's colour goes into a
-- frame buffer table. The script's variables are globals; floor and quot
-- stand in for the built-in quotient.
local floor = math.floor
local function quot(a, b) -- quotient truncated toward zero
  if a < 0 then return -floor(-a / b) end
  return floor(a / b)
end
frame = {}
total = 0
py = 0
while py < 300 do
  px = 0
  while px < 400 do
    x0 = floor(px * 3072 / 400) - 2048
    y0 = floor(py * 2458 / 300) - 1229
    x, y, d, k = 0, 0, 0, 0
    while d < 4194304 and k < 60 do
      xt = quot(x * x - y * y, 1024) + x0
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
