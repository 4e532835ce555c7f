#!/usr/bin/env bash
# Seals through the console program, with Debian's openssl as the outside
# reference: an Olvarin seal verifies with openssl and an openssl key and
# seal with Olvarin; every kind of tampering exits 5 with no report; accept
# keeps a sealed baseline sealed; every bad key exits 2 and writes nothing.
#   seal_test.sh CLI WORK_DIR
set -uo pipefail
cli=$1 work=$2
wine=/usr/lib/wine/wine
"$wine" --version >/dev/null 2>&1 || wine=/usr/lib/wine/wine64
rm -rf "$work" && mkdir -p "$work/tree" && cd "$work" && echo a >tree/a.txt
failures=0
check() { if "${@:2}"; then :; else echo "FAIL: $1" >&2; failures=$((failures + 1)); fi; }
win() { echo "Z:$work/$1" | tr / '\\'; }
run() { "$wine" "$cli" "$@" >out.txt 2>err.txt; echo $? >status.txt; }
status() { [ "$(cat status.txt)" = "$1" ]; }
verified() { openssl dgst -sha256 -verify "$1" -signature "$2" "$3" >/dev/null 2>&1; }

run keygen "$(win k)"; check "keygen" status 0
check "keygen prints the public key's fingerprint" grep -q "Fingerprint: $(openssl pkey -pubin -in k.pub -outform DER | sha256sum | cut -c1-64)" out.txt
run keygen "$(win k)"; check "keygen never writes over a key" status 2
run create "$(win s.sig)" --include "$(win tree)" --seal "$(win k.key)" --quiet; check "create --seal" status 0
check "the seal verifies with openssl" verified k.pub s.sig.seal s.sig

openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out o.key 2>/dev/null
openssl pkey -in o.key -pubout -out o.pub
cp s.sig o.sig && openssl dgst -sha256 -sign o.key -out o.sig.seal o.sig
run compare "$(win o.sig)" --trust "$(win o.pub)" --report "$(win o.txt)"; check "an openssl key and seal are trusted" status 0
run show "$(win o.sig)" --trust "$(win o.pub)"; check "show prints the fingerprint" grep -q "^Seal: verified with the key $(openssl pkey -pubin -in o.pub -outform DER | sha256sum | cut -c1-64)" out.txt

# Tampering, each on a fresh copy: exit 5, a summary line with exit_code 5, no report.
for what in sig seal gone other; do
    cp s.sig t.sig && cp s.sig.seal t.sig.seal && rm -f t.txt
    case $what in
        sig) printf 'x' | dd of=t.sig bs=1 seek=400 conv=notrunc 2>/dev/null ;;
        seal) printf '\001' | dd of=t.sig.seal bs=1 seek=20 conv=notrunc 2>/dev/null ;;
        gone) rm t.sig.seal ;;
        other) openssl dgst -sha256 -sign o.key -out t.sig.seal t.sig ;;
    esac
    run compare "$(win t.sig)" --trust "$(win k.pub)" --report "$(win t.txt)" --json -
    check "tampered ($what) exits 5" status 5
    check "tampered ($what) writes no report" test ! -e t.txt
    check "tampered ($what) gives one summary line" grep -qx '{"type":"summary".*"exit_code":5,.*}' out.txt
done

# Accept on the sealed baseline: refused without the key, files byte for byte; with it, sealed anew.
echo b >tree/b.txt
run compare "$(win s.sig)" --json "$(win r.jsonl)" --report "$(win r.txt)" --quiet
cp s.sig before.sig && cp s.sig.seal before.seal
run accept "$(win s.sig)" "$(win r.jsonl)"; check "accept of a sealed file without --seal is refused" status 2
check "... and changes neither file" cmp -s s.sig before.sig
check "... nor its seal" cmp -s s.sig.seal before.seal
run accept "$(win s.sig)" "$(win r.jsonl)" --seal "$(win k.key)"; check "accept --seal" status 0
check "accept seals anew" verified k.pub s.sig.seal s.sig
check "accept keeps the previous seal beside the previous file" verified k.pub s.sig.seal.bak s.sig.bak

# Bad keys: exit 2, nothing written.
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -out rsa.key 2>/dev/null
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-384 -out p384.key 2>/dev/null
: >empty.key && echo "not a key" >garbage.key
sed '2s/^./!/' k.key >broken.key
for key in k.pub rsa.key p384.key empty.key garbage.key broken.key; do
    rm -f n.sig n.sig.seal
    run create "$(win n.sig)" --include "$(win tree)" --seal "$(win "$key")" --quiet
    check "--seal $key exits 2" status 2
    check "--seal $key names the file" grep -q "$key" err.txt
    check "--seal $key writes nothing" test ! -e n.sig
done
run compare "$(win s.sig)" --trust "$(win k.key)"; check "--trust with a private key exits 2" status 2

[ "$failures" -eq 0 ] && echo "Seals: every check passed" || exit 1
