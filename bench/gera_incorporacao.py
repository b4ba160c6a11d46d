#!/usr/bin/env python3
"""Writes an import file of N valid slips for the shipped data (Windows-1252, CR LF): each line
with its own taxpayer number (CNPJ with check digits) and amount, due in a week from today."""
import datetime
import sys


def digito(numeros, pesos):
    r = sum(int(n) * p for n, p in zip(numeros, pesos)) % 11
    return '0' if r < 2 else str(11 - r)


def cnpj(i):
    base = '%08d0001' % (10000000 + i * 7919 % 89999999)
    d1 = digito(base, [5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2])
    d2 = digito(base + d1, [6, 5, 4, 3, 2, 9, 8, 7, 6, 5, 4, 3, 2])
    n = base + d1 + d2
    return '%s.%s.%s/%s-%s' % (n[0:2], n[2:5], n[5:8], n[8:12], n[12:14])


def main():
    total = int(sys.argv[1])
    hoje = datetime.date.today()
    vencimento = (hoje + datetime.timedelta(days=7)).strftime('%d/%m/%Y')
    mes = hoje.replace(day=1) - datetime.timedelta(days=1)
    referencia = '1%02d%04d' % (mes.month, mes.year)
    saida = sys.stdout.buffer
    for i in range(total):
        principal = 100 + i % 900
        campos = ['SP', '100013', cnpj(i), '1234567890', referencia, '%d,00' % principal, '0', '10,00',
                  '5,00', '%d,00' % (principal + 15), vencimento, 'X', 'EMPRESA AÇÚCAR %d LTDA' % i, '',
                  'RUA DAS FLORES, %d' % (i % 1000), 'CAMPINAS', 'SP', '13010-000', '1999999999',
                  'PEDIDO %d' % i, '37']
        saida.write(('\t'.join(campos) + '\r\n').encode('cp1252'))


if __name__ == '__main__':
    main()
