import sys
count = total = 0
with open(sys.argv[2]) as f:
    for line in f:
        count += 1
        total += len(line.rstrip("\n"))
print(count, total)
