import sys
n = int(sys.argv[1])
m = {}
for i in range(1, n + 1):
    m["k" + str(i)] = i % 1000
total = 0
for i in range(1, n + 1):
    total += m["k" + str(i)]
print(total)
