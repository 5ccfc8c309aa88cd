import bisect, sys
n = int(sys.argv[1])
a = [0] * n
seed = 12345
for i in range(n):
    seed = (seed * 75 + 74) % 65537
    a[i] = seed
a.sort()
found = 0
for i in range(1, 2001):
    v = (i * 61) % 65537
    k = bisect.bisect_left(a, v)
    if k < n and a[k] == v:
        found += 1
print(a[0], a[n - 1], found)
