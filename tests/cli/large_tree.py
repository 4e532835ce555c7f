# Makes the console tests' large tree natively, far faster than files made
# one by one through Wine: COUNT empty files, 100 to a folder.
import os
import sys

root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    folder = os.path.join(root, "folder%04d" % (i // 100))
    if i % 100 == 0:
        os.makedirs(folder, exist_ok=True)
    open(os.path.join(folder, "file%06d.txt" % i), "wb").close()
