import sys
n = int(sys.argv[1])
total = 0
for i in range(1, n + 1):
    total = (total + i * 3) % 1000003
print(total)
