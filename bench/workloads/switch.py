import sys
n = int(sys.argv[1])
a = 0
for i in range(1, n + 1):
    k = i % 5
    if k == 0:
        a += 1
    elif k == 1:
        a += 3
    elif k == 2:
        a -= 1
    elif k == 3:
        a += 7
    else:
        a -= 2
print(a)
