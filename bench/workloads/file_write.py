import sys
n = int(sys.argv[1])
total = 0
with open(sys.argv[2], "w", newline="\r\n") as f:
    for i in range(1, n + 1):
        line = "line %d of the benchmark output" % i
        f.write(line + "\n")
        total += len(line)
print(n, total)
