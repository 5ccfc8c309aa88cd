import sys
n = int(sys.argv[1])
hay = ""
for i in range(1, 1001):
    hay = hay + "k" + str(i % 97) + "-xyz;"
hits = 0
for i in range(1, n + 1):
    pos = hay.find("k" + str(i % 97) + "-")
    if pos >= 0:
        hits += len(hay[pos:pos + 6])
print(hits)
