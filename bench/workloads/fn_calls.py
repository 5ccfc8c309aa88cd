import sys
def tag(word, n):
    t = word + str(n)
    return len(t)
n = int(sys.argv[1])
total = 0
for i in range(1, n + 1):
    total += tag("k", i)
print(total)
