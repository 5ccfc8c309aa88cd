import math, sys
n = int(sys.argv[1])
x = 0.0
for i in range(1, n + 1):
    x = x + math.sqrt(i) * math.sin(i) / (1.5 + i)
print(x)
