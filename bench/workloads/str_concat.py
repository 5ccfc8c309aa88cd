import sys
n = int(sys.argv[1])
lines = 0
s = ""
for i in range(1, n + 1):
    s = s + "ab" + str(i) + ","
    if i % 100 == 0:
        last = s
        s = ""
        lines += 1
print(lines)
