import sys
n = int(sys.argv[1])
total = 0
for r in range(1, n + 1):
    lst = ""
    for i in range(1, 51):
        lst = "w" + str(i) if lst == "" else lst + " " + "w" + str(i)
    for i in range(1, 51, 7):
        total += len(lst.split(" ")[i - 1])
    items = lst.split(" ")
    found = items.index("w25") + 1 if "w25" in items else 0
    total += found + len(lst.split(" "))
print(total)
